unit Mxstore;

{ Decision Cube: Mxstore }

interface

uses
  SysUtils, Classes, Mxconsts, Mxarrays;

type
  TMxstoreItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMxstoreItem.Clear;
begin
end;

end.
