{ Free Pascal's ObjectBinaryToText on the same form files as our converter, for the benchmark.
  Usage: FpcBinaryToText <folder> <rounds>. Loads every *.dfm of the folder into memory, converts
  all of them <rounds> times, and prints the bytes of form files converted and the seconds taken. }
program FpcBinaryToText;
{$mode objfpc}{$H+}
uses SysUtils, Classes;

var
  Forms: array of TMemoryStream;
  Found: TSearchRec;
  Folder: string;
  Rounds, Round, I: Integer;
  Text: TMemoryStream;
  Bytes: Int64;
  Started: QWord;
begin
  Folder := IncludeTrailingPathDelimiter(ParamStr(1));
  Rounds := StrToInt(ParamStr(2));
  Bytes := 0;
  if FindFirst(Folder + '*.dfm', faAnyFile, Found) = 0 then
  begin
    repeat
      SetLength(Forms, Length(Forms) + 1);
      Forms[High(Forms)] := TMemoryStream.Create;
      Forms[High(Forms)].LoadFromFile(Folder + Found.Name);
      Inc(Bytes, Forms[High(Forms)].Size);
    until FindNext(Found) <> 0;
    FindClose(Found);
  end;
  Text := TMemoryStream.Create;
  Started := GetTickCount64;
  for Round := 1 to Rounds do
    for I := 0 to High(Forms) do
    begin
      Forms[I].Position := 0;
      Forms[I].ReadResHeader;
      Text.Clear;
      ObjectBinaryToText(Forms[I], Text);
    end;
  WriteLn(Bytes * Rounds, ' ', (GetTickCount64 - Started) / 1000.0:0:3);
end.
