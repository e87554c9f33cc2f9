// hello.pas: a first script with procedures, a value from the host and an
// error that the script handles itself.
//
//   tresk run examples/hello.pas                      greets the world
//   tresk run examples/hello.pas --value Name=Ada     greets Ada
//   tresk run examples/hello.pas --call Greeting Bob  prints a greeting for Bob

var Greeted = 0;

function Greeting(Who);
begin
  Greeted := Greeted + 1;
  Result := 'Hello, ' + Who + '!';
end;

procedure Countdown(N);
var I;
begin
  for I := N downto 1 do
    ShowMessage(IntToStr(I) + '...');
end;

begin
  Countdown(3);
  // Name is a value the host may publish. Global names are looked up when
  // the code runs, so a missing one is a run-time error the script can catch.
  try
    ShowMessage(Greeting(Name));
  except
    ShowMessage(Greeting('world'));
  end;
  ShowMessage('Greetings so far: ' + IntToStr(Greeted));
end;
