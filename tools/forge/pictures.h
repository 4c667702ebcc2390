// pictures.h -- the forge's pictures, one function per picture or family.
#pragma once

#include "image.h"

Image make_menu_picture();
