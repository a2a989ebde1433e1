{**********************************************}
{   Quivex 7 -- translation of the editors     }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelTranslate;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QForms,
  {$ELSE}
  Forms,
  {$ENDIF}
  SysUtils, Classes, ZelConst, ZelEditChart;

type
  TZelLanguageStrings = class(TStringList);

procedure ZelTranslateForm(AForm: TCustomForm; AStrings: TZelLanguageStrings);
procedure ZelSetLanguage(AStrings: TZelLanguageStrings);

var
  ZelLanguage: TZelLanguageStrings = nil;

implementation

procedure ZelTranslateForm(AForm: TCustomForm; AStrings: TZelLanguageStrings);
var
  I: Integer;
begin
  if not Assigned(AStrings) then
    Exit;
  I := AStrings.IndexOfName(AForm.Caption);
  if I >= 0 then
    AForm.Caption := AStrings.Values[AForm.Caption];
end;

procedure ZelSetLanguage(AStrings: TZelLanguageStrings);
begin
  ZelLanguage := AStrings;
end;

end.
