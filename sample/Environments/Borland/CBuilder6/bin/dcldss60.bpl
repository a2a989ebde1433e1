Decision Cube design package as the environment ships it
