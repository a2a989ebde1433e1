Quivex Standard as the environment ships it
