Quivex for QuickReport as the environment ships it
