unit MXGrid;

{ Decision Cube: MXGrid }

interface

uses
  Controls, Grids, MXCommon, MXButton;

type
  TMXGridItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXGridItem.Clear;
begin
end;

end.
