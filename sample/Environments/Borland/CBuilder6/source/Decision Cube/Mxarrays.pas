unit Mxarrays;

{ Decision Cube: Mxarrays }

interface

uses
  SysUtils, Classes, Mxconsts;

type
  TMxarraysItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMxarraysItem.Clear;
begin
end;

end.
