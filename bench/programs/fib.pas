function Fib(N);
begin
  if N < 2 then
    Result := N
  else
    Result := Fib(N - 1) + Fib(N - 2);
end;

begin
  ShowMessage(IntToStr(Fib(27)));
end;
