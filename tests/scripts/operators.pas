// Every operator once, with operands whose results tell the operators apart.
// "and" and "or" always short-circuit and yield one of their operands.
procedure Show(Name; Value);
begin
  ShowMessage(Name + ' = ' + VarToStr(Value));
end;

begin
  Show('7 + 2', 7 + 2);
  Show('7 - 2', 7 - 2);
  Show('7 * 2', 7 * 2);
  Show('7 / 2', 7 / 2);
  Show('7 div 2', 7 div 2);
  Show('7 mod 2', 7 mod 2);
  Show('6 and 3', 6 and 3);
  Show('6 or 3', 6 or 3);
  Show('6 xor 3', 6 xor 3);
  Show('1 shl 4', 1 shl 4);
  Show('256 shr 4', 256 shr 4);
  Show('-7', -7);
  Show('+7', +7);
  Show('not 0', not 0);
  Show('not True', not True);
  Show('True xor True', True xor True);
  Show('2 = 2', 2 = 2);
  Show('2 <> 2', 2 <> 2);
  Show('1 < 2', 1 < 2);
  Show('2 > 1', 2 > 1);
  Show('2 <= 1', 2 <= 1);
  Show('2 >= 2', 2 >= 2);
  Show('3 in [1, 3..5]', 3 in [1, 3..5]);
  Show('2 in [1, 3..5]', 2 in [1, 3..5]);
  Show('''a'' + ''b''', 'a' + 'b');
  Show('1 + 2 * 3 - 4 div 2', 1 + 2 * 3 - 4 div 2);
end;
