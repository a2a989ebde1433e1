unit MXGraph;

{ Decision Cube: MXGraph }

interface

uses
  Classes, Controls, ZeEngine, ZelChart, MXPivSrc, MXCommon;

type
  TDecisionGraph = class(TZelChart)
  private
    FSource: TDecisionSource;
  published
    property Align;
    property AllowPanning;
    property AllowZoom;
    property BackColor;
    property BottomAxis;
    property Chart3DPercent;
    property Color;
    property Foot;
    property Frame;
    property Gradient;
    property LeftAxis;
    property Legend;
    property MarginBottom;
    property MarginLeft;
    property MarginRight;
    property MarginTop;
    property RightAxis;
    property Title;
    property TopAxis;
    property View3D;
    property View3DWalls;
    property Visible;
    property DecisionSource: TDecisionSource read FSource write FSource;
  end;

implementation

end.
