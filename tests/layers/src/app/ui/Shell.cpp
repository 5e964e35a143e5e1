#include "patients/ui/Form.h"
#include "ui/Service.h"
