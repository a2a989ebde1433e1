unit MXTables;

{ Decision Cube: MXTables }

interface

uses
  SysUtils, Classes, Mxstore;

type
  TMXTablesItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXTablesItem.Clear;
begin
end;

end.
