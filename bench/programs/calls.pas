function Add3(A; B; C);
begin
  Result := A + B + C;
end;

procedure Bump(var X);
begin
  X := X + 1;
end;

function Run;
var I, S;
begin
  S := 0;
  for I := 1 to 1000000 do
  begin
    S := Add3(S, I, 1) mod 1000000;
    Bump(S);
  end;
  Result := S;
end;

begin
  ShowMessage(IntToStr(Run));
end;
