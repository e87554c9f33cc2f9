function Run;
var I, S, Total;
begin
  Total := 0;
  S := '';
  for I := 1 to 200000 do
  begin
    S := S + 'ab';
    if Length(S) > 1000 then
    begin
      Total := Total + Length(S);
      S := '';
    end;
  end;
  Result := Total;
end;

begin
  ShowMessage(IntToStr(Run));
end;
