// Built-ins for strings, conversions and Format; how built-ins may be called;
// script globals hiding built-ins.
var Trunc = 'a variable named Trunc';

function UpperCase(S);
begin
  Result := 'own UpperCase of ' + S;
end;

procedure Show(const Name; Value);
begin
  ShowMessage(Name + ' = [' + VarToStr(Value) + ']');
end;

procedure Strings;
var S;
begin
  Show('LowerCase', LowerCase('MiXed ÄÖ'));
  Show('AnsiUpperCase', AnsiUpperCase('straße àé'));
  Show('AnsiLowerCase', AnsiLowerCase('ÀÉ'));
  Show('CompareStr', CompareStr('a', 'b') < 0);
  Show('CompareText', CompareText('ABC', 'abc'));
  Show('AnsiCompareText', AnsiCompareText('abc', 'ABD') < 0);
  Show('AnsiCompareStr', AnsiCompareStr('b', 'a') > 0);
  Show('Trim', Trim('  x y  '));
  Show('TrimLeft', TrimLeft('  x  '));
  Show('TrimRight', TrimRight('  x  '));
  Show('Pos', Pos('na', 'banana'));
  Show('Pos none', Pos('x', 'banana'));
  Show('Copy', Copy('abcdef', 2, 3));
  Show('Copy past end', Copy('abc', 2, 5));
  Show('Copy huge count', Copy('abc', 2, 2147483647));
  S := 'held';
  Insert('up', S, 3);
  Show('Insert', S);
  Insert('!', S, 100);
  Show('Insert at end', S);
  Delete(S, 1, 2);
  Show('Delete', S);
  Delete(S, 2, 2147483647);
  Show('Delete huge count', S);
  Show('Chr', Chr(72) + Chr(105) + Chr(65 + 65536));
  Show('Ord', IntToStr(Ord('A')) + ' ' + IntToStr(Ord('')) + ' ' + IntToStr(Ord(7)));
  Show('Length', IntToStr(Length('four')) + ' ' + IntToStr(Length(12345)) + ' '
    + IntToStr(Length('')));
  Show('IsValidIdent', VarToStr(IsValidIdent('_ok1')) + ' ' + VarToStr(IsValidIdent('1no')));
  Show('hidden', UpperCase('x') + ', ' + Trunc);
end;

procedure Conversions;
begin
  Show('IntToStr', IntToStr(Round(1234567890123.0)));
  Show('IntToHex', IntToHex(255, 4) + ' ' + IntToHex(-1, 2));
  Show('StrToInt', StrToInt('-42') + StrToInt('$10'));
  Show('StrToIntDef', IntToStr(StrToIntDef('12x', -1)) + ' ' + IntToStr(StrToIntDef('12', -1)));
  Show('FloatToStr', FloatToStr(2.5) + ' ' + FloatToStr(1 / 3) + ' ' + FloatToStr(1e20));
  Show('StrToFloat', StrToFloat('1.5e2') + 1);
  Show('FormatFloat', FormatFloat('#,##0.00', 1234567.891) + ' ' + FormatFloat('0.###', 2.5));
  Show('VarToStr', VarToStr(Null) + VarToStr(Unassigned) + VarToStr(True));
end;

procedure Formats;
var Args;
begin
  Show('Format', Format('%d-%s', 5, 'x'));
  Show('Format alone', Format('%d%%'));
  Show('Format widths', Format('[%5d|%-5s|%.3f|%8.2f]', 42, 'ab', 3.14159, -2.5));
  Show('Format hex and index', Format('%x %1:s %0:d', 255, 'second'));
  Show('Format converts', Format('%d %s %.2f', '12', 34, '2.5'));
  Args := array[1..2];
  Args[1] := 'from';
  Args[2] := 'array';
  Show('Format array', Format('%s %s', Args));
end;

procedure Forms;
var X, Step;
begin
  for Step := 1 to 8 do
    try
      case Step of
        1: ShowMessage('ShowMessage as a statement runs');
        2: X := ShowMessage('never');
        3: X := Date();
        4: X := Now() - Now;
        5: Inc(5);
        6: Exit(1);
        7: X := Break;
        8: Show('Format without arguments', Format());
      end;
    except
      on E: Exception do ShowMessage(IntToStr(Step) + ': ' + E.Message);
    end;
end;

begin
  Strings;
  Conversions;
  Formats;
  Forms;
  Show('Format mismatch', Format('%d', 'abc'));
end;
