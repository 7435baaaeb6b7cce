#pragma once
// The main window's image list imlForm: 17 icons in the order of TImageIndex,
// drawn from the program's own SVG artwork (":/icons/imlForm/NN.svg").

#include <QIcon>

// The icon at an image index; a null icon outside 0 to 16.
QIcon imlFormIcon(int index);
