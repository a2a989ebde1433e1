unit MXCommon;

{ Decision Cube: MXCommon }

interface

uses
  SysUtils, Classes, Mxconsts, Mxarrays, Mxstore;

type
  TMXCommonItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXCommonItem.Clear;
begin
end;

end.
