// A string literal must end on its line.
begin
  ShowMessage('It''s fine'#13#10'so far');
  ShowMessage('not closed);
end;
