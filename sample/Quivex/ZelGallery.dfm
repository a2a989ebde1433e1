object ZelGalleryForm: TZelGalleryForm
  Left = 240
  Top = 150
  Width = 420
  Height = 330
  Caption = 'Gallery'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = True
  Position = poScreenCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object PageGallery: TPageControl
    Left = 0
    Top = 0
    Width = 412
    Height = 262
    ActivePage = TabStandard
    Align = alClient
    TabIndex = 0
    TabOrder = 0
    TabPosition = tpBottom
    object TabStandard: TTabSheet
      Caption = 'Standard'
    end
    object TabFunctions: TTabSheet
      Caption = 'Functions'
      ImageIndex = 1
    end
  end
  object PanelButtons: TPanel
    Left = 0
    Top = 262
    Width = 412
    Height = 41
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 1
    object ButtonOK: TButton
      Left = 240
      Top = 8
      Width = 75
      Height = 25
      Caption = 'OK'
      Default = True
      ModalResult = 1
      TabOrder = 0
    end
    object ButtonCancel: TButton
      Left = 328
      Top = 8
      Width = 75
      Height = 25
      Cancel = True
      Caption = 'Cancel'
      ModalResult = 2
      TabOrder = 1
    end
  end
end
