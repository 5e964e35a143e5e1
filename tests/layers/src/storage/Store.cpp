#include "storage/Ini.h"
#include <QString>
#include <QLabel>
#include "patients/ui/Form.h"
