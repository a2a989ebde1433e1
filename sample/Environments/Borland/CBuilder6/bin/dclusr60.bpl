Borland User Components as the environment ships it
