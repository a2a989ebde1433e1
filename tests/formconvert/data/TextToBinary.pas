{ Writes the binary form of a text form file as the IDE stores a ".dfm": a resource header named
  after the root object's class, then the component stream that Free Pascal's ObjectTextToBinary
  makes of the text. Usage: TextToBinary <text form> <binary form> }
program TextToBinary;
{$mode objfpc}{$H+}
uses SysUtils, Classes;

function RootClassName(Stream: TMemoryStream): string;
var
  Bytes: PByte;
  Start: Integer;
begin
  { "TPF0", an optional prefix byte (and its child position), then the class name }
  Bytes := Stream.Memory;
  Start := 4;
  if Bytes[Start] and $F0 = $F0 then
    Inc(Start);
  SetString(Result, PChar(@Bytes[Start + 1]), Bytes[Start]);
end;

var
  Input: TFileStream;
  Binary: TMemoryStream;
  Output: TFileStream;
  Name: string;
  Flags: Word;
  Size: LongInt;
  Marker: array[0..2] of Byte = ($FF, $0A, $00);
  Zero: Byte = 0;
begin
  Input := TFileStream.Create(ParamStr(1), fmOpenRead);
  Binary := TMemoryStream.Create;
  ObjectTextToBinary(Input, Binary);
  Input.Free;
  Name := UpperCase(RootClassName(Binary));
  Output := TFileStream.Create(ParamStr(2), fmCreate);
  Output.WriteBuffer(Marker, 3);
  Output.WriteBuffer(Name[1], Length(Name));
  Output.WriteBuffer(Zero, 1);
  Flags := $1030;
  Output.WriteBuffer(Flags, 2);
  Size := Binary.Size;
  Output.WriteBuffer(Size, 4);
  Output.WriteBuffer(Binary.Memory^, Binary.Size);
  Output.Free;
  Binary.Free;
end.
