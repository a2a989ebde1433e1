unit MXQEdCom;

{ Decision Cube: MXQEdCom }

interface

uses
  SysUtils, Classes, Mxconsts;

type
  TMXQEdComItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXQEdComItem.Clear;
begin
end;

end.
