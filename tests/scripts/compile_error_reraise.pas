// A bare raise belongs in an except part, not in a finally part.
begin
  try
    ShowMessage('try');
  except
    raise;
  end;
  try
    ShowMessage('try');
  finally
    raise;
  end;
end;
