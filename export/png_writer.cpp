// PNG encoding of the canvas picture (pending).
