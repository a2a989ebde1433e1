unit MXDB;

{ Decision Cube: MXDB }

interface

uses
  DB, DBTables, MXDCube;

type
  TMXDBItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXDBItem.Clear;
begin
end;

end.
