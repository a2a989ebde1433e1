object ZelPenEditor: TZelPenEditor
  Left = 312
  Top = 204
  BorderStyle = bsDialog
  Caption = 'Border'
  ClientHeight = 164
  ClientWidth = 248
  Color = clBtnFace
  Ctl3D = True
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = True
  Position = poScreenCenter
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object LabelStyle: TLabel
    Left = 8
    Top = 12
    Width = 26
    Height = 13
    Caption = '&Style:'
    FocusControl = ComboStyle
  end
  object LabelWidth: TLabel
    Left = 8
    Top = 44
    Width = 31
    Height = 13
    Caption = '&Width:'
    FocusControl = EditWidth
  end
  object ShapeColor: TShape
    Left = 160
    Top = 40
    Width = 73
    Height = 21
  end
  object ComboStyle: TComboBox
    Left = 56
    Top = 8
    Width = 177
    Height = 21
    Style = csDropDownList
    ItemHeight = 13
    TabOrder = 0
    Items.Strings = (
      'Solid'
      'Dash'
      'Dot'
      'Dash Dot'
      'Dash Dot Dot'
      'Clear')
  end
  object EditWidth: TEdit
    Left = 56
    Top = 40
    Width = 49
    Height = 21
    HideSelection = False
    TabOrder = 1
    Text = '1'
  end
  object CheckVisible: TCheckBox
    Left = 8
    Top = 80
    Width = 97
    Height = 17
    Caption = '&Visible'
    Checked = True
    State = cbChecked
    TabOrder = 2
  end
  object ButtonOK: TButton
    Left = 72
    Top = 128
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 3
  end
  object ButtonCancel: TButton
    Left = 160
    Top = 128
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 4
  end
end
