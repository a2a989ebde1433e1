unit MXPBar;

{ Decision Cube: MXPBar }

interface

uses
  Controls, ExtCtrls, Mxconsts;

type
  TMXPBarItem = class
  public
    procedure Clear;
  end;

implementation

procedure TMXPBarItem.Clear;
begin
end;

end.
