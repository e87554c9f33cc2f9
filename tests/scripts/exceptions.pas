// try/except with typed handlers and else, try/finally, raise and re-raise,
// and the run-time errors scripts can catch.
var Log;

procedure Note(S);
begin
  ShowMessage(S);
end;

function Describe(E);
begin
  Result := E.ClassName + ': ' + E.Message;
end;

procedure Typed(Kind);
begin
  try
    case Kind of
      1: Kind := 1 div 0;
      2: Kind := StrToInt('x');
      3: raise Exception.Create('plain');
      4: Kind := 1 / 0;
    end;
    Note('no error');
  except
    on E: EIntDivByZero do Note('integer: ' + E.Message);
    on E: EConvertError do Note('convert: ' + E.Message);
    on EMathError do Note('math');
  else
    Note('else');
  end;
end;

procedure Unhandled;
begin
  try
    raise EConvertError.Create('goes on');
  except
    on EIntError do Note('wrong handler');
  end;
end;

procedure ReRaise;
begin
  try
    try
      raise Exception.Create('first');
    except
      on E: Exception do
      begin
        Note('inner saw ' + E.Message);
        E.Message := 'first, amended';
        raise;
      end;
    end;
  except
    on E: Exception do Note('outer saw ' + E.Message);
  end;
end;

procedure FinallyRuns;
begin
  try
    try
      Log := 'try ';
      raise Exception.Create('boom');
    finally
      Log := Log + 'finally';
    end;
  except
    on E: Exception do Note(Log + ' then except: ' + E.Message);
  end;
end;

procedure NestedInHandler;
begin
  try
    raise Exception.Create('outer');
  except
    on Outer: Exception do
    begin
      try
        raise Exception.Create('inner');
      except
        on Inner: Exception do Note('handled ' + Inner.Message + ' inside ' + Outer.Message);
      end;
      Note('still handling ' + Outer.Message);
    end;
  end;
end;

procedure ExitInFinally;
begin
  try
  finally
    Exit;
  end;
end;

procedure BreakOutside;
begin
  Break;
end;

procedure ConstParam(const C);
begin
  C := 1;
end;

procedure RuntimeErrors;
var Step, X, Obj, Arr;
begin
  Arr := array[2] of Integer;
  for Step := 1 to 14 do
    try
      case Step of
        1: X := NoSuchName;
        2: BreakOutside;
        3: ExitInFinally;
        4: ConstParam(5);
        5: X := ShowMessage('never shown');
        6: X := Copy('abc');
        7: begin Obj := nil; Obj.Foo; end;
        8: raise 5;
        9: X := [1, 40];
        10: X := Low('abc');
        11: X := High(5);
        12: X := Arr[7];
        13: X := Date();
        14: X := Arr(1);
      end;
    except
      on E: Exception do Note(IntToStr(Step) + ' ' + Describe(E));
    end;
end;

procedure Locked;
begin
  try
    raise Exception.Create('held');
  except
    on E: Exception do
      try
        raise E;
      except
        on F: Exception do Note('raising it again: ' + F.Message);
      end;
  end;
end;

begin
  Typed(0);
  Typed(1);
  Typed(2);
  Typed(3);
  Typed(4);
  try
    Unhandled;
  except
    on E: Exception do Note('unhandled went on: ' + Describe(E));
  end;
  ReRaise;
  FinallyRuns;
  NestedInHandler;
  RuntimeErrors;
  Locked;
  try
    raise Exception.Create('swallowed');
  except
  end;
  Note('is: ' + VarToStr(Exception.Create('x') is Exception) + ' '
    + VarToStr(EConvertError.Create('x') is Exception) + ' '
    + VarToStr(Exception.Create('x') is EConvertError));
  raise EConvertError.Create('the end');
end;
