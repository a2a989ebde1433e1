unit MXDCube;

{ Decision Cube: MXDCube }

interface

uses
  SysUtils, Classes, MXCommon, Mxstore, MXPBar;

type
  TMXDCubeItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXDCubeItem.Clear;
begin
end;

end.
