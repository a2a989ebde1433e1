object ZelBrushEditor: TZelBrushEditor
  Left = 290
  Top = 180
  BorderStyle = bsDialog
  Caption = 'Pattern'
  ClientHeight = 233
  ClientWidth = 292
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = True
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object RadioStyle: TRadioGroup
    Left = 8
    Top = 8
    Width = 145
    Height = 185
    Caption = 'Style'
    Items.Strings = (
      'Solid'
      'Clear'
      'Horizontal'
      'Vertical'
      'Forward diagonal'
      'Backward diagonal'
      'Cross'
      'Diagonal cross')
    TabOrder = 0
    OnClick = RadioStyleClick
  end
  object PanelSample: TPanel
    Left = 168
    Top = 16
    Width = 113
    Height = 113
    BevelOuter = bvLowered
    Ctl3D = False
    ParentCtl3D = False
    TabOrder = 1
  end
  object ButtonOK: TButton
    Left = 120
    Top = 200
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 2
  end
  object ButtonCancel: TButton
    Left = 208
    Top = 200
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 3
  end
end
