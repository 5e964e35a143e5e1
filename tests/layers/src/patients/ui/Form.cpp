#include "patients/ui/Form.h"
#include "ui/Service.h"
#include <QWidget>
#include "app/ui/Shell.h"
