unit MXReg;

{ Decision Cube: component registration }

interface

procedure Register;

implementation

uses
  Classes, DesignIntf, DesignEditors, Mxconsts, MXDCube, MXGrid, MXPivSrc, MXDB,
  MXGraph, ChartReg;

procedure Register;
begin
  RegisterComponents('Decision Cube', [TMXDCubeItem, TMXGridItem, TMXPivSrcItem, TDecisionGraph]);
end;

end.
