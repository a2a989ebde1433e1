unit MXButton;

{ Decision Cube: MXButton }

interface

uses
  Controls, Buttons, MXCommon;

type
  TMXButtonItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXButtonItem.Clear;
begin
end;

end.
