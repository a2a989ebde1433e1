unit MXQParse;

{ Decision Cube: MXQParse }

interface

uses
  SysUtils, Classes, Mxconsts, MXQEdCom;

type
  TMXQParseItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXQParseItem.Clear;
begin
end;

end.
