Decision Cube runtime package as the environment ships it
