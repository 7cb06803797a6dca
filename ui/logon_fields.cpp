#include "ui/logon_fields.h"
