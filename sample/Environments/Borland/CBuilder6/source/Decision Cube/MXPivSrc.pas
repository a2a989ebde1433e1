unit MXPivSrc;

{ Decision Cube: MXPivSrc }

interface

uses
  SysUtils, Classes, MXDCube, MXCommon;

type
  TMXPivSrcItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXPivSrcItem.Clear;
begin
end;

end.
