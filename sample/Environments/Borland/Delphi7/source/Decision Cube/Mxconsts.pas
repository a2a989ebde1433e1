unit Mxconsts;

{ Decision Cube: Mxconsts }

interface

const
  SCubeCaption = 'Decision Cube';
  SPivotCaption = 'Decision Pivot';

implementation

end.
