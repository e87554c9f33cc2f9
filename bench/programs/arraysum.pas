function Run;
var A, I, J, Sum;
begin
  A := array[99999];
  Sum := 0;
  for J := 1 to 10 do
  begin
    for I := 0 to 99999 do
      A[I] := I * J;
    for I := 0 to 99999 do
      Sum := Sum + A[I];
  end;
  Result := Sum;
end;

begin
  ShowMessage(IntToStr(Run));
end;
