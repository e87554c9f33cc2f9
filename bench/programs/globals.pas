// Module variables: names the host can read and write, reached by name.
var I, Sum;
begin
  Sum := 0;
  for I := 1 to 5000000 do
    Sum := (Sum + I * 3) mod 1000003;
  ShowMessage(IntToStr(Sum));
end;
