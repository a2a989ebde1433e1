{**********************************************}
{   Quivex 7 -- constants and messages         }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelConst;
{$I ZelDefs.inc}

interface

const
  ZelVersion       = 7;
  ZelVersionText   = 'Quivex 7';
  ZelCopyright     = 'Copyright (c) Velmora Software';
  ZelDefaultWidth  = 400;
  ZelDefaultHeight = 250;
  ZelMaxSeries     = 1024;

resourcestring
  ZelMsgNoSeries    = 'The chart has no series.';
  ZelMsgInvalidAxis = 'Invalid axis: %s';
  ZelMsgGallery     = 'Gallery';
  ZelMsgEditChart   = 'Editing %s';
  ZelMsgPrint       = 'Print preview';
  {$IFDEF ZEL_STANDARD}
  ZelMsgEdition     = 'Standard edition';
  {$ELSE}
  ZelMsgEdition     = 'Professional edition';
  {$ENDIF}

implementation

{$IFNDEF ZEL_NET}
{$R Quivex.res}
{$ENDIF}

end.
