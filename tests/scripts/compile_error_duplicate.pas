// A global declared twice; this file uses CR LF line breaks.
var Total = 0;

procedure Add(X);
begin
  Total := Total + X;
end;

const Total = 1;
begin
  Add(1);
end;
