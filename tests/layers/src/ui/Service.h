#pragma once
#include "storage/Ini.h"
#include "patients/ui/Form.h"
