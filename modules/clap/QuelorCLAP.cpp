#include "CLAPEntry.h"
#include "Quelor.h"
#include "QuelorEditorFactory.h"

const CLAPProduct& CLAPModuleProduct() {
    static const CLAPProduct product{&Quelor::kProduct, &QuelorEditorFactory()};
    return product;
}
