object ZelChartEditor: TZelChartEditor
  Left = 200
  Top = 120
  Width = 480
  Height = 380
  Caption = 'Editing Chart'
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
  object PanelMain: TPanel
    Left = 0
    Top = 0
    Width = 472
    Height = 312
    Align = alClient
    BevelOuter = bvNone
    ParentCtl3D = False
    TabOrder = 0
    object PageEditor: TPageControl
      Left = 0
      Top = 0
      Width = 472
      Height = 312
      ActivePage = TabSeries
      Align = alClient
      HotTrack = True
      TabIndex = 1
      TabOrder = 0
      object TabChart: TTabSheet
        Caption = 'Chart'
        object MemoTitle: TMemo
          Left = 8
          Top = 8
          Width = 449
          Height = 89
          HideSelection = False
          ScrollBars = ssVertical
          TabOrder = 0
        end
      end
      object TabSeries: TTabSheet
        Caption = 'Series'
        ImageIndex = 1
        object TreeSeries: TTreeView
          Left = 0
          Top = 0
          Width = 464
          Height = 284
          Align = alClient
          HideSelection = False
          Indent = 19
          ReadOnly = True
          ShowRoot = False
          TabOrder = 0
        end
      end
    end
  end
  object PanelButtons: TPanel
    Left = 0
    Top = 312
    Width = 472
    Height = 41
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 1
    object ButtonAdd: TButton
      Left = 8
      Top = 8
      Width = 75
      Height = 25
      Caption = '&Add...'
      TabOrder = 0
      OnClick = ButtonAddClick
    end
    object ButtonClose: TButton
      Left = 388
      Top = 8
      Width = 75
      Height = 25
      Cancel = True
      Caption = '&Close'
      ModalResult = 1
      TabOrder = 1
    end
  end
end
