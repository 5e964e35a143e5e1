#include "ui/Navigation.h"

Navigation &nav()
{
    static Navigation n;
    return n;
}
