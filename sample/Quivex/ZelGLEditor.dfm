object ZelGLEditorForm: TZelGLEditorForm
  Left = 330
  Top = 220
  BorderStyle = bsDialog
  Caption = 'OpenGL'
  ClientHeight = 141
  ClientWidth = 265
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = True
  PixelsPerInch = 96
  TextHeight = 13
  object LabelShininess: TLabel
    Left = 8
    Top = 40
    Width = 49
    Height = 13
    Caption = '&Shininess:'
    FocusControl = TrackShininess
  end
  object CheckLight: TCheckBox
    Left = 8
    Top = 8
    Width = 97
    Height = 17
    Caption = '&Light'
    Checked = True
    State = cbChecked
    TabOrder = 0
  end
  object TrackShininess: TTrackBar
    Left = 72
    Top = 32
    Width = 185
    Height = 33
    Max = 128
    PageSize = 8
    Frequency = 8
    Position = 10
    SelEnd = 0
    SelStart = 0
    TabOrder = 1
    ThumbLength = 18
    TickMarks = tmBottomRight
    TickStyle = tsAuto
    OnChange = TrackShininessChange
  end
  object ButtonClose: TButton
    Left = 182
    Top = 104
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Close'
    ModalResult = 1
    TabOrder = 2
  end
end
