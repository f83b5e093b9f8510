from ._kromesh import (CutError as CutError, Solid as Solid, Surface as Surface, area as area,
                       boolean as boolean, clean as clean, curtain as curtain, cut as cut,
                       cut_fill as cut_fill, cut_solid as cut_solid, inside as inside,
                       is_closed as is_closed, read as read, render as render, side as side,
                       split6 as split6, volume as volume, write as write)

__version__: str
