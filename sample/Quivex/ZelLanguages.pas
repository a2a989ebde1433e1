{**********************************************}
{   Quivex 7 -- the shipped languages          }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelLanguages;
{$I ZelDefs.inc}

interface

uses
  Classes, ZelTranslate;

type
  TZelLanguageId = (zlEnglish, zlGerman, zlFrench, zlSpanish, zlItalian, zlPortuguese);

function ZelLanguageStrings(Language: TZelLanguageId): TZelLanguageStrings;

implementation

function ZelLanguageStrings(Language: TZelLanguageId): TZelLanguageStrings;
begin
  Result := TZelLanguageStrings.Create;
  case Language of
    zlGerman:
      begin
        Result.Add('Gallery=Galerie');
        Result.Add('Border=Rahmen');
        Result.Add('Pattern=Muster');
      end;
    zlFrench:
      begin
        Result.Add('Gallery=Galerie');
        Result.Add('Border=Bordure');
        Result.Add('Pattern=Motif');
      end;
    zlSpanish:
      begin
        Result.Add('Gallery=Galer'#237'a');
        Result.Add('Border=Borde');
        Result.Add('Pattern=Trama');
      end;
  end;
end;

end.
