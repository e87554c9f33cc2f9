function Run;
var Flags, I, K, Count, Rounds;
begin
  for Rounds := 1 to 5 do
  begin
    Flags := array[200000];
    Count := 0;
    for I := 2 to 200000 do
      Flags[I] := True;
    for I := 2 to 200000 do
      if Flags[I] then
      begin
        Count := Count + 1;
        K := I + I;
        while K <= 200000 do
        begin
          Flags[K] := False;
          K := K + I;
        end;
      end;
  end;
  Result := Count;
end;

begin
  ShowMessage(IntToStr(Run));
end;
