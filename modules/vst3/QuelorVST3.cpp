#include "QuelorVST3.h"

#include "Quelor.h"
#include "QuelorEditorFactory.h"

const ProductVST3& QuelorVST3Product() {
    static const ProductVST3 product{&Quelor::kProduct, &QuelorEditorFactory()};
    return product;
}
