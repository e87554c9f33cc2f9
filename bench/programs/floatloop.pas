function Run;
var I, X;
begin
  X := 0.0;
  for I := 1 to 3000000 do
    X := X + 1.0 / (I * 1.5) - X * 0.000001;
  Result := Round(X * 1000000);
end;

begin
  ShowMessage(IntToStr(Run));
end;
