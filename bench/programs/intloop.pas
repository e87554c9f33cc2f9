// The loop runs in a function, so its variables are locals, as in the
// other languages' versions.
function Run;
var I, Sum;
begin
  Sum := 0;
  for I := 1 to 5000000 do
    Sum := (Sum + I * 3) mod 1000003;
  Result := Sum;
end;

begin
  ShowMessage(IntToStr(Run));
end;
