// Built-ins for numbers, dates, values and objects, arrays and sets, and the
// dialogs; the errors they raise.
procedure Show(const Name; Value);
begin
  ShowMessage(Name + ' = [' + VarToStr(Value) + ']');
end;

procedure Numbers;
var I, R, Ok, Step;
begin
  Show('Abs Sqr Sqrt', FloatToStr(Abs(-2.5)) + ' ' + FloatToStr(Sqr(3)) + ' '
    + FloatToStr(Sqrt(16)));
  Show('Exp Ln Sin Cos', FloatToStr(Exp(0)) + ' ' + FloatToStr(Ln(1)) + ' ' + FloatToStr(Sin(0))
    + ' ' + FloatToStr(Cos(0)));
  Show('Pi', FloatToStr(ArcTan(1) * 4));
  Show('Int Frac', FloatToStr(Int(-3.7)) + ' ' + FloatToStr(Frac(3.75)) + ' '
    + FloatToStr(Frac(-3.75)));
  Show('Round', IntToStr(Round(2.5)) + ' ' + IntToStr(Round(3.5)) + ' ' + IntToStr(Round(-2.5))
    + ' ' + IntToStr(Round(2.6)));
  Show('Trunc', IntToStr(Trunc(-3.9)) + ' ' + IntToStr(Trunc(1e15 + 0.5)));
  Show('Odd', VarToStr(Odd(7)) + ' ' + VarToStr(Odd(-2)));
  Ok := True;
  for I := 1 to 200 do
  begin
    R := Random(10);
    if (R < 0) or (R > 9) then Ok := False;
    R := Random;
    if (R < 0) or (R >= 1) then Ok := False;
  end;
  Show('Random in range', Ok);
  Show('Random of nothing', IntToStr(Random(0)) + ' ' + IntToStr(Random(-3)));
  I := 1;
  Inc(I);
  Inc(I, 10);
  Dec(I);
  Dec(I, 3);
  Show('Inc Dec', I);
  R := 'a';
  Inc(R, 'b');
  Show('Inc of a string', R);
  R := 0.5;
  Inc(R);
  Show('Inc of a real', R);
  for Step := 1 to 7 do
    try
      case Step of
        1: R := Round(1e30);
        2: R := Sqrt(-1);
        3: R := Ln(0);
        4: R := Exp(1000);
        5: Inc(I, 1, 2);
        6: R := Random(1, 2);
        7: R := Trunc(-1e19);
      end;
    except
      on E: Exception do ShowMessage(IntToStr(Step) + ' ' + E.ClassName + ': ' + E.Message);
    end;
end;

procedure Dates;
var D, Y, M, Dd, H, N, S, MS, Step;
begin
  D := EncodeDate(2024, 2, 29);
  Show('DateToStr', DateToStr(D));
  Show('TimeToStr', TimeToStr(EncodeTime(13, 5, 9, 0)));
  Show('DateTimeToStr', DateTimeToStr(EncodeDate(2021, 12, 24) + EncodeTime(18, 30, 0, 0)));
  DecodeDate(D, Y, M, Dd);
  Show('DecodeDate', IntToStr(Y) + ' ' + IntToStr(M) + ' ' + IntToStr(Dd));
  DecodeTime(EncodeTime(1, 2, 3, 4), H, N, S, MS);
  Show('DecodeTime', IntToStr(H) + ' ' + IntToStr(N) + ' ' + IntToStr(S) + ' ' + IntToStr(MS));
  Show('DayOfWeek', DayOfWeek(EncodeDate(2024, 1, 1)));
  D := EncodeDate(2024, 1, 31) + EncodeTime(6, 0, 0, 0);
  Show('IncMonth', DateTimeToStr(IncMonth(D)) + ', ' + DateToStr(IncMonth(D, -2)) + ', '
    + DateToStr(IncMonth(D, 12)));
  Show('IsLeapYear', VarToStr(IsLeapYear(2100)) + ' ' + VarToStr(IsLeapYear(2000)));
  Show('StrToDate', FormatDateTime('yyyy-mm-dd dddd', StrToDate('3/15/2020')));
  Show('StrToTime', FormatDateTime('hh:nn:ss', StrToTime('10:20:30')));
  Show('StrToDateTime', FormatDateTime('d mmm yyyy h:nn', StrToDateTime('3/15/2020 10:20')));
  Show('today', VarToStr(Frac(Date) = 0) + ' ' + VarToStr(Int(Time) = 0) + ' '
    + VarToStr((Now >= Date) and (Now - Date < 1)));
  for Step := 1 to 3 do
    try
      case Step of
        1: D := EncodeDate(2021, 2, 30);
        2: D := StrToDate('31/31/2020');
        3: DecodeDate(Now, Y, M, 'not a number');
      end;
    except
      on E: EConvertError do ShowMessage(IntToStr(Step) + ' convert: ' + E.Message);
      on E: Exception do ShowMessage(IntToStr(Step) + ' ' + E.ClassName + ': ' + E.Message);
    end;
end;

procedure ValuesAndSets;
var A, S, Step;
begin
  Show('VarIsNull', VarToStr(VarIsNull(Null)) + ' ' + VarToStr(VarIsNull(Unassigned)));
  Show('Assigned', VarToStr(Assigned(nil)) + ' ' + VarToStr(Assigned(Unassigned)) + ' '
    + VarToStr(Assigned(Null)) + ' ' + VarToStr(Assigned(0)) + ' '
    + VarToStr(Assigned(Exception.Create('x'))));
  S := 0;
  Include(S, 33);
  Include(S, 0);
  Show('Include modulo 32', S);
  Exclude(S, 32);
  Include(S, -1);
  Show('Include bit 31', S);
  A := array[1..2, 0..4];
  for Step := 1 to 5 do
    try
      case Step of
        1: Show('Length of dimension 2', Length(A, 2));
        2: Show('never', Low(A, 3));
        3: Show('never', Length(A, 0));
        4: Show('never', High('text'));
        5: Show('never', CreateOleObject('No.Such.Class'));
      end;
    except
      on E: Exception do ShowMessage(IntToStr(Step) + ' ' + E.ClassName + ': ' + E.Message);
    end;
end;

procedure Dialogs;
var Name;
begin
  Name := 'nobody';
  Show('first answer', InputQuery('Title', 'Your name?', Name));
  Show('Name', Name);
  Show('second answer', InputQuery('Title', 'Again?', Name));
  Show('Name kept', Name);
  Beep;
end;

begin
  Numbers;
  Dates;
  ValuesAndSets;
  Dialogs;
end;
