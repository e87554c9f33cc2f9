// Sets, arrays, designators, @Proc, and the scopes of globals, locals,
// parameters and constants.
const Greeting = 'hello';
var Counter = 10, Total, Handler;

procedure Bump(var X; Y);
begin
  X := X + 1;
  Y := Y + 1;  // a value parameter: the caller's variable keeps its value
end;

function Sum(A);
var I;
begin
  Result := 0;
  for I := Low(A) to High(A) do Result := Result + A[I];
end;

function Fact(N);
begin
  if N <= 1 then Result := 1 else Result := N * Fact(N - 1);
end;

procedure Shadow;
const Greeting = 'local';
var Counter = 100, Step;
begin
  Counter := Counter + 1;
  ShowMessage(Greeting + ' ' + IntToStr(Counter));
end;

procedure Sets;
var S;
begin
  S := [1, 3..5];
  ShowMessage('set ' + IntToStr(S));
  ShowMessage(VarToStr(3 in S) + ' ' + VarToStr(2 in S) + ' ' + VarToStr(40 in S));
  Include(S, 2);
  Exclude(S, 5);
  ShowMessage('changed ' + IntToStr(S));
  ShowMessage('empty ' + IntToStr([]) + ' ' + IntToStr([5..3]) + ' top ' + IntToStr([31]));
end;

procedure Arrays;
var A, B, M, I, J, Part;
begin
  A := array[1..4] of Integer;
  for I := 1 to 4 do A[I] := I * I;
  ShowMessage('sum ' + IntToStr(Sum(A)) + ', bounds ' + IntToStr(Low(A)) + '..'
    + IntToStr(High(A)) + ', length ' + IntToStr(Length(A)));
  B := A;
  B[1] := 99;
  ShowMessage('copies ' + IntToStr(A[1]) + ' ' + IntToStr(B[1]));
  M := array[0..1, 1..3];
  for I := 0 to 1 do
    for J := 1 to 3 do
      M[I, J] := IntToStr(I) + IntToStr(J);
  ShowMessage(M[1, 2] + ' dims ' + IntToStr(Low(M, 2)) + '..' + IntToStr(High(M, 2)) + ' '
    + IntToStr(Length(M, 1)));
  A := array[3] of string;
  ShowMessage('zero based ' + IntToStr(Low(A)) + '..' + IntToStr(High(A)));
  A := array[1..5];
  for I := 1 to 5 do A[I] := I * 10;
  Part := Copy(A, 2, 3);
  ShowMessage('copy ' + IntToStr(Low(Part)) + '..' + IntToStr(High(Part)) + ' = '
    + IntToStr(Part[0]) + ',' + IntToStr(Part[1]) + ',' + IntToStr(Part[2]));
  ShowMessage('nothing copied: ' + VarToStr(VarIsNull(Copy(A, 9, 1))) + ' '
    + VarToStr(Assigned(Copy(A, 9, 1))));
end;

begin
  Bump(Counter, Total);
  ShowMessage('after Bump ' + IntToStr(Counter) + ' ' + VarToStr(Assigned(Total)));
  Bump(5, 1);
  Shadow;
  ShowMessage(Greeting + ' ' + IntToStr(Counter));
  ShowMessage('5! = ' + IntToStr(Fact(5)));
  Sets;
  Arrays;
  Handler := @Shadow;
  ShowMessage(Handler);
  ShowMessage(Exception.Create('made').Message + ' by ' + Exception.ClassName);
  ShowMessage(Copy('designator', 1, 6) + Chr(Ord('!')));
end;
