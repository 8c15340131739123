#include "encoders/TagRecord.h"
