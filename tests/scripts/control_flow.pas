// Loops with Break, Continue and Exit; case with ranges; if and else.
var Trace;

procedure Add(S);
begin
  Trace := Trace + S;
end;

function FirstOver(Limit);
var I;
begin
  Result := -1;
  for I := 1 to 100 do
    if I * I > Limit then
    begin
      Result := I;
      Exit;
    end;
  Result := -2;
end;

function Classify(N);
begin
  case N of
    0: Result := 'zero';
    1, 2, 3: Result := 'small';
    4..9: Result := 'digit';
    -5..-1, 100: Result := 'odd one';
  else
    Result := 'other';
  end;
end;

procedure Loops;
var I, J;
begin
  Trace := '';
  for I := 1 to 10 do
  begin
    if I mod 2 = 0 then Continue;
    if I > 7 then Break;
    Add(IntToStr(I));
  end;
  ShowMessage('for to: ' + Trace + ' ends at ' + IntToStr(I));

  Trace := '';
  for I := 3 downto 1 do Add(IntToStr(I));
  ShowMessage('for downto: ' + Trace);

  Trace := '';
  I := 0;
  while True do
  begin
    I := I + 1;
    if I = 2 then Continue;
    if I > 4 then Break;
    Add(IntToStr(I));
  end;
  ShowMessage('while: ' + Trace);

  Trace := '';
  I := 0;
  repeat
    I := I + 1;
    if I = 3 then Continue;
    Add(IntToStr(I));
  until I >= 5;
  ShowMessage('repeat: ' + Trace);

  // Break leaves only the inner loop.
  Trace := '';
  for I := 1 to 3 do
    for J := 1 to 3 do
    begin
      if J > I then Break;
      Add(IntToStr(I * 10 + J) + ' ');
    end;
  ShowMessage('nested: ' + Trace);

  // The end value is computed once.
  J := 3;
  Trace := '';
  for I := 1 to J do
  begin
    J := 10;
    Add(IntToStr(I));
  end;
  ShowMessage('end value once: ' + Trace);

  // Loops that never run.
  for I := 5 to 1 do ShowMessage('never');
  while False do ShowMessage('never');
end;

procedure BreakThroughFinally;
var I;
begin
  Trace := '';
  for I := 1 to 3 do
    try
      if I = 2 then Break;
      Add('body' + IntToStr(I) + ' ');
    finally
      Add('finally' + IntToStr(I) + ' ');
    end;
  ShowMessage('break through finally: ' + Trace);
end;

procedure ExitThroughFinally;
begin
  try
    Trace := 'exit ';
    Exit;
    Trace := 'not reached';
  finally
    Trace := Trace + 'then finally';
  end;
end;

begin
  Loops;
  ShowMessage('first over 50: ' + IntToStr(FirstOver(50)));
  ShowMessage('first over 100000: ' + IntToStr(FirstOver(100000)));
  ShowMessage(Classify(0) + ', ' + Classify(2) + ', ' + Classify(7) + ', ' + Classify(-3) + ', '
    + Classify(100) + ', ' + Classify(10));
  BreakThroughFinally;
  ExitThroughFinally;
  ShowMessage(Trace);
  if Classify(1) = 'small' then ShowMessage('if then') else ShowMessage('wrong');
  if Classify(1) <> 'small' then ShowMessage('wrong') else ShowMessage('if else');
  // An else belongs to the nearest if.
  if True then if False then ShowMessage('wrong') else ShowMessage('inner else');
  // or and and do not evaluate what they need not.
  if True or Undefined then ShowMessage('short or');
  if False and Undefined then ShowMessage('wrong') else ShowMessage('short and');
end;
