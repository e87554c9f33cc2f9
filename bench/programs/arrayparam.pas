// An array held in a local variable, filled through a var parameter and
// summed through a value parameter: element access must not copy it.
procedure Fill(var A; J);
var I;
begin
  for I := 0 to 99999 do
    A[I] := I * J;
end;

function Total(A);
var I, S;
begin
  S := 0;
  for I := 0 to 99999 do
    S := S + A[I];
  Result := S;
end;

function Run;
var A, J, Sum;
begin
  A := array[99999];
  Sum := 0;
  for J := 1 to 10 do
  begin
    Fill(A, J);
    Sum := Sum + Total(A);
  end;
  Result := Sum;
end;

begin
  ShowMessage(IntToStr(Run));
end;
