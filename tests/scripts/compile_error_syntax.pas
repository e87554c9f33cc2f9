// Nothing runs when the script does not compile.
var Ready = True;

procedure Later;
var X: Integer;
begin
end;

begin
  ShowMessage('never shown');
end;
