unit MXDSQL;

{ Decision Cube: MXDSQL }

interface

uses
  DB, DBTables, MXQParse, MXDB;

type
  TMXDSQLItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXDSQLItem.Clear;
begin
end;

end.
